// The object type codes and vertex types that the passes test. What they
// are is the host's business; the names say how the passes treat them.
#pragma once

#include <cstdint>

inline constexpr int16_t kLineType = 2;
inline constexpr int16_t kBoxType3 = 3;               // compared by bounds
inline constexpr int16_t kBoxType4 = 4;               // compared by bounds
inline constexpr int16_t kVertexListType = 5;         // flat vertex list of plain corners
inline constexpr int16_t kArcType = 6;
inline constexpr int16_t kPoint3DType = 9;
inline constexpr int16_t kValueBoxType = 10;          // bounds plus a 32-bit value
inline constexpr int16_t kFourPoints3DType = 15;      // four 3D points plus a 32-bit value
inline constexpr int16_t kPointType = 17;
inline constexpr int16_t kCurvedVertexListType = 21;  // flat vertex list that may hold arc vertices
inline constexpr int16_t kVertexList3DType = 25;

inline constexpr int32_t kPlainCorner = 0;  // vertex type of a plain corner
inline constexpr int32_t kArcVertex = 3;    // vertex at an arc's tangent point, with its radius

// An arc vertex draws an arc only between two neighbours and with a radius;
// at an open end, or with no radius, it is drawn as a plain corner.
inline bool DrawsArc(int32_t vertexType, double radius) { return vertexType == kArcVertex && radius > 0; }

inline bool IsFlatVertexList(int16_t type) {
  return type == kVertexListType || type == kCurvedVertexListType;
}
