#include "graphics/ShapePositions.h"

#include <cstring>
#include <unordered_set>

#include "graphics/Shapes2D.h"

ShapePositions::ShapePositions(ObjectHeader* root) {
    // Every shape once, through the members of groups and figures; a group
    // that holds itself or shares members is walked once.
    std::unordered_set<ObjectHeader*> seen;
    std::vector<ObjectHeader*> pending{root};
    while (!pending.empty()) {
        ObjectHeader* shape = pending.back();
        pending.pop_back();
        if (!shape || !seen.insert(shape).second) continue;
        const Object2DObject* s = AsShape(shape);
        saved_.push_back(Saved{shape, s->x, s->y});
        const uint32_t tag = ShapeTag(shape);
        if (tag == kTagCurveShape) {
            const CurveShapeObject* c = reinterpret_cast<const CurveShapeObject*>(shape);
            SavedCurve saved{shape, c->x2, c->y2, {}};
            std::memcpy(saved.control, c->control, sizeof saved.control);
            curves_.push_back(saved);
        } else if (IsGroupTag(tag)) {
            const GroupObject* g = reinterpret_cast<const GroupObject*>(shape);
            pending.insert(pending.end(), g->members, g->members + g->count);
        }
    }
}

void ShapePositions::Restore() const {
    for (const Saved& s : saved_) {
        Object2DObject* o = AsShape(s.shape);
        o->x = s.x;
        o->y = s.y;
    }
    for (const SavedCurve& s : curves_) {
        CurveShapeObject* c = reinterpret_cast<CurveShapeObject*>(s.shape);
        c->x2 = s.x2;
        c->y2 = s.y2;
        std::memcpy(c->control, s.control, sizeof c->control);
    }
}
