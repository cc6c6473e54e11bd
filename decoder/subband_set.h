// The subband decoders of every layer and class, made once per decoder; a
// frame uses those of its layer, mode and bound.
#pragma once

#include "decoder/layer1_subband.h"
#include "decoder/layer2_subband.h"

namespace corvina {

struct CSubbandSet {
    CSubbandSet() {
        for (int sb = 0; sb < 32; ++sb) {
            layer1[sb] = CLayer1Subband(sb);
            layer1Stereo[sb] = CLayer1StereoSubband(sb);
            layer1Joint[sb] = CLayer1JointSubband(sb);
            layer2[sb] = CLayer2Subband(sb);
            layer2Stereo[sb] = CLayer2StereoSubband(sb);
            layer2Joint[sb] = CLayer2JointSubband(sb);
        }
    }

    CLayer1Subband layer1[32];
    CLayer1StereoSubband layer1Stereo[32];
    CLayer1JointSubband layer1Joint[32];
    CLayer2Subband layer2[32];
    CLayer2StereoSubband layer2Stereo[32];
    CLayer2JointSubband layer2Joint[32];
    CLayer2SampleReader layer2Reader;
    CLayer2Frame layer2Frame;
};

}  // namespace corvina
