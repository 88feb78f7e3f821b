// spaceMapper: the interface of the engine's 2D collision service. The application
// object holds one mapper by pointer, hands it the game time each frame and the script
// API adds walls to it and moves circles against it.
#pragma once

class SpaceMapper {
  public:
    float time; // game time of the last SetTime; nothing in the mapper reads it
    float step; // game time step of the last SetTime; point-mode movement uses it

    SpaceMapper();

    // The operations an application sees, in this order. The base does nothing.
    virtual void AddSpaceObject(const char* type, void* data);
    virtual void HandleEvent(const char* name, void* data);
    // Moves a circle of radius r from p; v is a velocity (lineMode false) or an end point
    // (lineMode true). Returns the number of bounces. The base returns 0, writes nothing.
    virtual int MapPoint(const float* p, const float* v, float r, float* outContact, float* outPos,
                         float* outVel, bool lineMode);
    virtual int MapLine(const float* from, const float* to, float r, float* outContact, float* outPos);
    virtual void DebugDrawSegments();
    virtual void Reset(bool keepBounds);

    // Virtual so that an owner may free a mapper through this interface without leaking
    // the grid of a derived mapper. Declared after the operations to keep their order.
    virtual ~SpaceMapper();

    void SetTime(float time, float step);
};
