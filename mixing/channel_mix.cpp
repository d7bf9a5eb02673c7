#include "mixing/channel_mix.h"

int MixLevel(int sceneA, int sceneB, int master)
{
    return sceneB + ((sceneA - sceneB) * master) / 255;
}
