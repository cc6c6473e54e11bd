// The 32-point DCT-II of the synthesis filter, by Lee's factorisation,
// written out in full: 80 multiplications by the butterfly constants. The
// vector versions (dct32_lanes.h) take the same steps several at a time.
#include <array>
#include <cmath>
#include <numbers>

#include "synth/dct32_lanes.h"
#include "synth/dsp_kernels.h"

namespace corvina {

namespace {

// c(k) = 1 / (2 cos(k pi / 64)) with pi rounded to single precision, as the
// filter's constants have always been computed; entry 0 is unused.
std::array<float, 32> MakeButterflyConstants() {
    std::array<float, 32> fTable{};
    const auto dPi = static_cast<double>(static_cast<float>(std::numbers::pi));
    for (int k = 1; k < 32; ++k) {
        fTable[static_cast<std::size_t>(k)] =
            static_cast<float>(1.0 / (2.0 * std::cos(dPi * k / 64.0)));
    }
    return fTable;
}

CButterflyGroups MakeButterflyGroups(const std::array<float, 32>& fButterfly) {
    CButterflyGroups groups{};
    for (std::size_t i = 0; i < 16; ++i) {
        groups.fLevel32[i] = fButterfly[2 * i + 1];
    }
    for (std::size_t i = 0; i < 8; ++i) {
        groups.fLevel16[i] = fButterfly[4 * i + 2];
    }
    for (std::size_t i = 0; i < 4; ++i) {
        groups.fLevel8[i] = fButterfly[8 * i + 4];
    }
    return groups;
}

}  // namespace

const std::array<float, 32> g_fButterfly = MakeButterflyConstants();
const CButterflyGroups g_butterflyGroups = MakeButterflyGroups(g_fButterfly);

namespace scalar {

void Dct32(const float* pIn, float* pOut) {
    const auto& kC = g_fButterfly;
    const float f1 = pIn[0] + pIn[31];
    const float f2 = (pIn[0] - pIn[31]) * kC[1];
    const float f3 = pIn[1] + pIn[30];
    const float f4 = (pIn[1] - pIn[30]) * kC[3];
    const float f5 = pIn[2] + pIn[29];
    const float f6 = (pIn[2] - pIn[29]) * kC[5];
    const float f7 = pIn[3] + pIn[28];
    const float f8 = (pIn[3] - pIn[28]) * kC[7];
    const float f9 = pIn[4] + pIn[27];
    const float f10 = (pIn[4] - pIn[27]) * kC[9];
    const float f11 = pIn[5] + pIn[26];
    const float f12 = (pIn[5] - pIn[26]) * kC[11];
    const float f13 = pIn[6] + pIn[25];
    const float f14 = (pIn[6] - pIn[25]) * kC[13];
    const float f15 = pIn[7] + pIn[24];
    const float f16 = (pIn[7] - pIn[24]) * kC[15];
    const float f17 = pIn[8] + pIn[23];
    const float f18 = (pIn[8] - pIn[23]) * kC[17];
    const float f19 = pIn[9] + pIn[22];
    const float f20 = (pIn[9] - pIn[22]) * kC[19];
    const float f21 = pIn[10] + pIn[21];
    const float f22 = (pIn[10] - pIn[21]) * kC[21];
    const float f23 = pIn[11] + pIn[20];
    const float f24 = (pIn[11] - pIn[20]) * kC[23];
    const float f25 = pIn[12] + pIn[19];
    const float f26 = (pIn[12] - pIn[19]) * kC[25];
    const float f27 = pIn[13] + pIn[18];
    const float f28 = (pIn[13] - pIn[18]) * kC[27];
    const float f29 = pIn[14] + pIn[17];
    const float f30 = (pIn[14] - pIn[17]) * kC[29];
    const float f31 = pIn[15] + pIn[16];
    const float f32 = (pIn[15] - pIn[16]) * kC[31];
    const float f33 = f1 + f31;
    const float f34 = (f1 - f31) * kC[2];
    const float f35 = f3 + f29;
    const float f36 = (f3 - f29) * kC[6];
    const float f37 = f5 + f27;
    const float f38 = (f5 - f27) * kC[10];
    const float f39 = f7 + f25;
    const float f40 = (f7 - f25) * kC[14];
    const float f41 = f9 + f23;
    const float f42 = (f9 - f23) * kC[18];
    const float f43 = f11 + f21;
    const float f44 = (f11 - f21) * kC[22];
    const float f45 = f13 + f19;
    const float f46 = (f13 - f19) * kC[26];
    const float f47 = f15 + f17;
    const float f48 = (f15 - f17) * kC[30];
    const float f49 = f33 + f47;
    const float f50 = (f33 - f47) * kC[4];
    const float f51 = f35 + f45;
    const float f52 = (f35 - f45) * kC[12];
    const float f53 = f37 + f43;
    const float f54 = (f37 - f43) * kC[20];
    const float f55 = f39 + f41;
    const float f56 = (f39 - f41) * kC[28];
    const float f57 = f49 + f55;
    const float f58 = (f49 - f55) * kC[8];
    const float f59 = f51 + f53;
    const float f60 = (f51 - f53) * kC[24];
    const float f61 = f57 + f59;
    const float f62 = (f57 - f59) * kC[16];
    const float f63 = f58 + f60;
    const float f64 = (f58 - f60) * kC[16];
    const float f65 = f63 + f64;
    const float f66 = f50 + f56;
    const float f67 = (f50 - f56) * kC[8];
    const float f68 = f52 + f54;
    const float f69 = (f52 - f54) * kC[24];
    const float f70 = f66 + f68;
    const float f71 = (f66 - f68) * kC[16];
    const float f72 = f67 + f69;
    const float f73 = (f67 - f69) * kC[16];
    const float f74 = f72 + f73;
    const float f75 = f70 + f74;
    const float f76 = f74 + f71;
    const float f77 = f71 + f73;
    const float f78 = f34 + f48;
    const float f79 = (f34 - f48) * kC[4];
    const float f80 = f36 + f46;
    const float f81 = (f36 - f46) * kC[12];
    const float f82 = f38 + f44;
    const float f83 = (f38 - f44) * kC[20];
    const float f84 = f40 + f42;
    const float f85 = (f40 - f42) * kC[28];
    const float f86 = f78 + f84;
    const float f87 = (f78 - f84) * kC[8];
    const float f88 = f80 + f82;
    const float f89 = (f80 - f82) * kC[24];
    const float f90 = f86 + f88;
    const float f91 = (f86 - f88) * kC[16];
    const float f92 = f87 + f89;
    const float f93 = (f87 - f89) * kC[16];
    const float f94 = f92 + f93;
    const float f95 = f79 + f85;
    const float f96 = (f79 - f85) * kC[8];
    const float f97 = f81 + f83;
    const float f98 = (f81 - f83) * kC[24];
    const float f99 = f95 + f97;
    const float f100 = (f95 - f97) * kC[16];
    const float f101 = f96 + f98;
    const float f102 = (f96 - f98) * kC[16];
    const float f103 = f101 + f102;
    const float f104 = f99 + f103;
    const float f105 = f103 + f100;
    const float f106 = f100 + f102;
    const float f107 = f90 + f104;
    const float f108 = f104 + f94;
    const float f109 = f94 + f105;
    const float f110 = f105 + f91;
    const float f111 = f91 + f106;
    const float f112 = f106 + f93;
    const float f113 = f93 + f102;
    const float f114 = f2 + f32;
    const float f115 = (f2 - f32) * kC[2];
    const float f116 = f4 + f30;
    const float f117 = (f4 - f30) * kC[6];
    const float f118 = f6 + f28;
    const float f119 = (f6 - f28) * kC[10];
    const float f120 = f8 + f26;
    const float f121 = (f8 - f26) * kC[14];
    const float f122 = f10 + f24;
    const float f123 = (f10 - f24) * kC[18];
    const float f124 = f12 + f22;
    const float f125 = (f12 - f22) * kC[22];
    const float f126 = f14 + f20;
    const float f127 = (f14 - f20) * kC[26];
    const float f128 = f16 + f18;
    const float f129 = (f16 - f18) * kC[30];
    const float f130 = f114 + f128;
    const float f131 = (f114 - f128) * kC[4];
    const float f132 = f116 + f126;
    const float f133 = (f116 - f126) * kC[12];
    const float f134 = f118 + f124;
    const float f135 = (f118 - f124) * kC[20];
    const float f136 = f120 + f122;
    const float f137 = (f120 - f122) * kC[28];
    const float f138 = f130 + f136;
    const float f139 = (f130 - f136) * kC[8];
    const float f140 = f132 + f134;
    const float f141 = (f132 - f134) * kC[24];
    const float f142 = f138 + f140;
    const float f143 = (f138 - f140) * kC[16];
    const float f144 = f139 + f141;
    const float f145 = (f139 - f141) * kC[16];
    const float f146 = f144 + f145;
    const float f147 = f131 + f137;
    const float f148 = (f131 - f137) * kC[8];
    const float f149 = f133 + f135;
    const float f150 = (f133 - f135) * kC[24];
    const float f151 = f147 + f149;
    const float f152 = (f147 - f149) * kC[16];
    const float f153 = f148 + f150;
    const float f154 = (f148 - f150) * kC[16];
    const float f155 = f153 + f154;
    const float f156 = f151 + f155;
    const float f157 = f155 + f152;
    const float f158 = f152 + f154;
    const float f159 = f115 + f129;
    const float f160 = (f115 - f129) * kC[4];
    const float f161 = f117 + f127;
    const float f162 = (f117 - f127) * kC[12];
    const float f163 = f119 + f125;
    const float f164 = (f119 - f125) * kC[20];
    const float f165 = f121 + f123;
    const float f166 = (f121 - f123) * kC[28];
    const float f167 = f159 + f165;
    const float f168 = (f159 - f165) * kC[8];
    const float f169 = f161 + f163;
    const float f170 = (f161 - f163) * kC[24];
    const float f171 = f167 + f169;
    const float f172 = (f167 - f169) * kC[16];
    const float f173 = f168 + f170;
    const float f174 = (f168 - f170) * kC[16];
    const float f175 = f173 + f174;
    const float f176 = f160 + f166;
    const float f177 = (f160 - f166) * kC[8];
    const float f178 = f162 + f164;
    const float f179 = (f162 - f164) * kC[24];
    const float f180 = f176 + f178;
    const float f181 = (f176 - f178) * kC[16];
    const float f182 = f177 + f179;
    const float f183 = (f177 - f179) * kC[16];
    const float f184 = f182 + f183;
    const float f185 = f180 + f184;
    const float f186 = f184 + f181;
    const float f187 = f181 + f183;
    const float f188 = f171 + f185;
    const float f189 = f185 + f175;
    const float f190 = f175 + f186;
    const float f191 = f186 + f172;
    const float f192 = f172 + f187;
    const float f193 = f187 + f174;
    const float f194 = f174 + f183;
    const float f195 = f142 + f188;
    const float f196 = f188 + f156;
    const float f197 = f156 + f189;
    const float f198 = f189 + f146;
    const float f199 = f146 + f190;
    const float f200 = f190 + f157;
    const float f201 = f157 + f191;
    const float f202 = f191 + f143;
    const float f203 = f143 + f192;
    const float f204 = f192 + f158;
    const float f205 = f158 + f193;
    const float f206 = f193 + f145;
    const float f207 = f145 + f194;
    const float f208 = f194 + f154;
    const float f209 = f154 + f183;
    pOut[0] = f61;
    pOut[1] = f195;
    pOut[2] = f107;
    pOut[3] = f196;
    pOut[4] = f75;
    pOut[5] = f197;
    pOut[6] = f108;
    pOut[7] = f198;
    pOut[8] = f65;
    pOut[9] = f199;
    pOut[10] = f109;
    pOut[11] = f200;
    pOut[12] = f76;
    pOut[13] = f201;
    pOut[14] = f110;
    pOut[15] = f202;
    pOut[16] = f62;
    pOut[17] = f203;
    pOut[18] = f111;
    pOut[19] = f204;
    pOut[20] = f77;
    pOut[21] = f205;
    pOut[22] = f112;
    pOut[23] = f206;
    pOut[24] = f64;
    pOut[25] = f207;
    pOut[26] = f113;
    pOut[27] = f208;
    pOut[28] = f73;
    pOut[29] = f209;
    pOut[30] = f102;
    pOut[31] = f183;
}

}  // namespace scalar

}  // namespace corvina
