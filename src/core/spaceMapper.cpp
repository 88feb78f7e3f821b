// spaceMapper: the do-nothing base of the collision service interface.
#include "spaceMapper.h"

SpaceMapper::SpaceMapper() : time(0), step(0) {}

SpaceMapper::~SpaceMapper() {}

void SpaceMapper::AddSpaceObject(const char*, void*) {}

void SpaceMapper::HandleEvent(const char*, void*) {}

int SpaceMapper::MapPoint(const float*, const float*, float, float*, float*, float*, bool) {
    return 0;
}

int SpaceMapper::MapLine(const float*, const float*, float, float*, float*) {
    return 0;
}

void SpaceMapper::DebugDrawSegments() {}

void SpaceMapper::Reset(bool) {}

void SpaceMapper::SetTime(float t, float s) {
    time = t;
    step = s;
}
