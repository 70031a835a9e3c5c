// A device's pins through its boundary register, the rest of the chain in BYPASS: read once
// under SAMPLE, or driven under EXTEST after every cell was preloaded.
#pragma once

#include <initializer_list>
#include <string>
#include <vector>

#include "../bsdl/BoundaryPins.h"
#include "ChainScan.h"

class CTapEngine;

// The first of the instructions named that the file has ({"PRELOAD", "SAMPLE"}); null for none.
const BsdlInstruction* FindInstruction(const BsdlFile& file, std::initializer_list<const char*> names);

// One shift to the device alone: its bits wrapped for the chain, the device's own bits of what
// came out. Done, or Lost with the cable's failure (the engine told its listeners).
Outcome ShiftDevice(CTapEngine& tap, CChainAddress& address, bool bIr, const CBits& bits,
                    CBits& out);

// The device's pins under its own logic: SAMPLE, then one capture of the boundary register,
// every cell's safe value shifted in. Broken, with why, for a file without SAMPLE or a TAP where
// no shift starts; Lost with the cable's failure.
Outcome SampleBoundary(CTapEngine& tap, CChainAddress& address, const BsdlFile& file,
                       CBits& captured);

// The pins driven: every cell preloaded with its safe value but the drives given, then EXTEST,
// then one capture with the same bits shifted in. bInExtest: the device is known to be in
// EXTEST already, so no preload (which would hand the pins back to the chip's own logic for a
// moment). Broken, with why and no clock, for a file without PRELOAD (or SAMPLE) and EXTEST, and
// for drives the pins cannot take together (DrivenBoundary).
Outcome DriveBoundary(CTapEngine& tap, CChainAddress& address, const BsdlFile& file, const std::vector<BoundaryPin>& pins,
                      const std::vector<PinDrive>& drives, bool bInExtest, CBits& captured);
