#pragma once
// The encoding of a drive's answers in the drive-answers harness's input (see that harness).
#include <algorithm>
#include <cstdint>

#include "tests/fuzz/FuzzSupport.h"

namespace fuzz {

enum : uint8_t {
  kAnswerData = 0,
  kAnswerCheck = 1,
  kAnswerBusy = 2,
  kAnswerNoData = 3,
  kAnswerZeroTail = 4,  // with kAnswerData: the data ends in zeros that are not given
};

// One real answer: GOOD with its data-in (length 0 for commands without), CHECK CONDITION with
// its sense data, or BUSY. Trailing zeros are left out.
inline void EncodeAnswer(TOutput& out, uint8_t status, const uint8_t* dataIn, uint32_t length,
                         const uint8_t* sense, uint8_t senseLength) {
  if (status == 8) {
    out.Byte(kAnswerBusy);
  } else if (status != 0) {
    uint8_t n = senseLength;
    while (n > 0 && sense[n - 1] == 0) --n;
    out.Byte(kAnswerCheck);
    out.Byte(n);
    out.Append(sense, n);
  } else if (length == 0 || dataIn == nullptr) {
    out.Byte(kAnswerNoData);
  } else {
    const uint32_t n = std::min<uint32_t>(length, 0xFFFF);
    uint32_t given = n;
    while (given > 0 && dataIn[given - 1] == 0) --given;
    out.Byte(kAnswerData | kAnswerZeroTail);
    out.U16(static_cast<uint16_t>(n));
    out.U16(static_cast<uint16_t>(given));
    out.Append(dataIn, given);
  }
}

}  // namespace fuzz
