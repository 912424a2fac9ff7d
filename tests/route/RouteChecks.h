// The groups of checks the route checks module runs.
#pragma once

#include "orvane/exports.h"

void GeometryChecks();
void NormaliseChecks();
void WalkChecks(ObjectHeader* measure);
void ScaleBarChecks();
// The fast analysis and walk against the reference on the sample routes in
// folder (a path ending in a backslash) and on generated routes.
void ReferenceChecks(ObjectHeader* measure, StringValue* folder);
