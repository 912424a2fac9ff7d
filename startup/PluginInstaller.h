// Installs the plug-in libraries that the module carries as resources.
#pragma once

// One installation pass: writes every plug-in resource into the plug-in
// folder and loads it. A pass that finds no resource does nothing.
void InstallPlugins();
