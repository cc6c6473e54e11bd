// The bodies of the fuzz targets, shared by the libFuzzer programs and the
// regression tests that replay what the fuzzers found. Each takes one input
// and aborts with a message when an expectation fails.
#pragma once

#include <cstddef>
#include <cstdint>

// Messages are swallowed from here on.
void PrepareFuzzHarnesses();

int FuzzFrameSearch(const uint8_t* pData, std::size_t nSize);
int FuzzDecoder(const uint8_t* pData, std::size_t nSize);
// The demultiplexers, each on its own: see demux_harness.cpp.
int FuzzWaveSource(const uint8_t* pData, std::size_t nSize);
int FuzzProgramStream(const uint8_t* pData, std::size_t nSize);
int FuzzCdxa(const uint8_t* pData, std::size_t nSize);
int FuzzTransportStream(const uint8_t* pData, std::size_t nSize);
// libavformat's containers, as the decoder is offered them.
int FuzzFormatContainer(const uint8_t* pData, std::size_t nSize);
// The tag reader on a file of the bytes.
int FuzzTagReader(const uint8_t* pData, std::size_t nSize);
// Puts the recording wave device in place of the named ones while it runs.
int FuzzWaveOutput(const uint8_t* pData, std::size_t nSize);
