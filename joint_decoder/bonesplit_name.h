// The actor's display name. The host shows it in its actor list and with
// every failed check the actor reports, so pure helpers that report checks
// use it too. A constant: safe from any thread.
#pragma once

inline constexpr char kBonesplitName[] = "Bonesplit";
