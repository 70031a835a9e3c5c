// The stand-in D2XX library compiled into a test or benchmark program: its calls as the
// FTDI cable takes them, and the chip behind them.
#pragma once

#include "ports/d2xx.h"
#include "simboard/ftdi_chip.h"

const D2xxApi& StandinD2xx();
CFtdiChip& StandinChip();
