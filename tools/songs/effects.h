// The four sound effects, synthesised as 16-bit mono WAVE files.
#pragma once

#include "smf.h"

// index 0: the short quiet closing sound; 1: the start; 2: the final-lap bell;
// 3: the crowd on the final straight. 1-3 repeat without a seam.
Bytes makeEffect(int index, double* seconds);
