#pragma once
// The excavator's three models, standing where the desert has them: beside a
// road running along Z, the body west of it outside the fence, the boom
// reaching over the fence to the arm's hinge above the road. A course that
// stands one elsewhere moves and turns these about the hinge.

#include "course/Layout.h"
#include "model/Mesh.h"

namespace gen {

inline constexpr Vector3 kExcavatorHinge = course::kArmHinge;
// The body's footprint, measured from the hinge towards the body (across the
// road) and along the road either way.
// On the desert the hinge is 3.8 m from the road's centre line, away from the body.
inline constexpr float kExcavatorHingeAcross = 3.8f;
inline constexpr float kExcavatorBodyNear = 18.5f, kExcavatorBodyFar = 28.5f, kExcavatorBodyHalfLength = 3.5f;
inline constexpr float kExcavatorBodyMiddle = 0.5f * (kExcavatorBodyNear + kExcavatorBodyFar);

Mesh ExcavatorBody();   // in course coordinates
Mesh ExcavatorCable();  // in course coordinates
Mesh ExcavatorArm();    // about its hinge, hanging along -X; the game swings it about Z

}  // namespace gen
