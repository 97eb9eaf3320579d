#pragma once
// Outcome of one command: GOOD, BUSY, or CHECK CONDITION with its sense key, ASC and ASCQ.
#include <cstdint>

namespace vdrive {

constexpr uint8_t kStatusGood = 0;
constexpr uint8_t kStatusCheckCondition = 2;
constexpr uint8_t kStatusBusy = 8;

struct TSense {
  uint8_t key = 0, asc = 0, ascq = 0;
  constexpr bool Failed() const { return key != 0 || asc != 0 || ascq != 0; }
  constexpr bool operator==(const TSense&) const = default;
};

namespace sense {
constexpr TSense kGood{};
constexpr TSense kNotReady{2, 0x04, 0x00};
constexpr TSense kBecomingReady{2, 0x04, 0x01};
constexpr TSense kFormatInProgress{2, 0x04, 0x04};
constexpr TSense kOperationInProgress{2, 0x04, 0x07};
constexpr TSense kLongWriteInProgress{2, 0x04, 0x08};
constexpr TSense kNoMedium{2, 0x3A, 0x00};
constexpr TSense kNoMediumTrayOpen{2, 0x3A, 0x02};
constexpr TSense kUnrecoveredRead{3, 0x11, 0x00};
constexpr TSense kParameterListLength{5, 0x1A, 0x00};
constexpr TSense kInvalidOpcode{5, 0x20, 0x00};
constexpr TSense kLbaOutOfRange{5, 0x21, 0x00};
constexpr TSense kInvalidWriteAddress{5, 0x21, 0x02};
constexpr TSense kInvalidField{5, 0x24, 0x00};
constexpr TSense kInvalidParameter{5, 0x26, 0x00};
constexpr TSense kInvalidParameterValue{5, 0x26, 0x02};
constexpr TSense kSequenceError{5, 0x2C, 0x00};
constexpr TSense kIncompatibleMedium{5, 0x30, 0x00};
constexpr TSense kCannotWriteFormat{5, 0x30, 0x05};
constexpr TSense kCannotFormat{5, 0x30, 0x06};
constexpr TSense kSavingNotSupported{5, 0x39, 0x00};
constexpr TSense kRemovalPrevented{5, 0x53, 0x02};
constexpr TSense kMediumChanged{6, 0x28, 0x00};
constexpr TSense kWriteProtected{7, 0x27, 0x00};
constexpr TSense kWriteError{3, 0x0C, 0x00};
}  // namespace sense

}  // namespace vdrive
