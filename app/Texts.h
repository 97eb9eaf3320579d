#pragma once
// Fixed texts and tables that several windows share: the progress names of the job status
// codes, the names of the medium types, the yes/no words and the speed step of a medium.
#include <QString>

#include <cstdint>

namespace app {

inline constexpr int kStatusNameCount = 12;
// Progress text of a job status code 0..11; empty for codes outside the table.
QString StatusName(uint16_t status);

// Name of a medium type code 0..22; "mtUNKNOWN" beyond.
QString MediumTypeName(uint8_t code);

// "Ano" for 1, "Ne" for every other value.
QString YesNoText(uint8_t flag);

// KB/s of one speed step ("1x") for the medium type code: DVD 1385, Blu-ray 4495.5, CD and
// everything else 176.46.
double SpeedUnit(uint8_t mediumType);

}  // namespace app
