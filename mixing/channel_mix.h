#pragma once

// How the master mixes scene A and scene B into a channel's output.

// out = B + (A - B) * M / 255, the division truncating toward zero: master 255 gives scene A,
// master 0 gives scene B, and the result always lies between the two.
int MixLevel(int sceneA, int sceneB, int master);
