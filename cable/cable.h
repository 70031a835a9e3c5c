// Parallel-port JTAG cable: TDI, TCK, TMS and cable enable on the data register, TDO on status bit 4.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The first parallel port's registers, where the cable is unless another port is chosen.
const unsigned short DATA_PORT = 0x378;
const unsigned short STATUS_PORT = 0x379;

const BYTE PIN_TDI = 0x01;
const BYTE PIN_TCK = 0x02;
const BYTE PIN_TMS = 0x04;
const BYTE PIN_ENABLE = 0x10;
const BYTE STATUS_TDO = 0x10;

void PortPower(BYTE on);
BOOL CableOn();
BOOL CableOff();
void SetTms(BYTE level);
void SetTdi(BYTE level);
BYTE GetTms();
BYTE GetTdi();
void PulseTck();
BYTE GetTdo();
// Within a run of clocks: TDO after this clock, given later by CollectTdo with every other read
// asked since, in order; fewer where the cable failed (CableFailure says what).
void ReadTdoLater();
void CollectTdo(std::vector<BYTE>& tdo);
// Puts TMS and TDI on the cable now with TCK low, and holds them: no clock.
void DriveLevels();

// Moves the cable to the parallel port whose data register is at wDataPort (status at the next
// address). Chosen once at start, before the cable is switched on.
void SetCableAddress(unsigned short wDataPort);
// Empty while every access reached the cable; otherwise what failed, for the person to read.
std::string CableFailure();
