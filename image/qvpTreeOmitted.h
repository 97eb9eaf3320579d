#pragma once
// What the insertions left out, each with its reason: nothing the user asked for may go missing
// from a disc without being named. The list lives in the image record until ClearCompilation.
#include <cstdint>
#include <string>
#include <string_view>

struct TImageBuilder;

enum class TOmitReason : uint8_t {
  SameName,          // an entry of that very name is already in the compilation folder
  FolderInTheWay,    // a folder of that name is there, and a file cannot take its place
  FileInTheWay,      // a file of that name is there, and a folder cannot take its place
  NameNotUtf8,       // the name's bytes are no UTF-8 text
  NameTooLong,       // longer than the tree takes (217 characters)
  PathTooLong,       // longer than the system opens
  TooManyEntries,    // the compilation holds 200,000 entries already
  TooManyFolders,    // the compilation holds 65,000 folders already
  FolderUnreadable,  // Detail: the system's reason
  FileUnreadable,    // Detail: the system's reason
  SpecialFile,       // a FIFO, socket or device; Detail: which
  LinkLoop,          // a folder link leading back into its own path; Detail: where it leads
  MoreOmitted,       // the list ends here; Detail: how many more were left out
};

struct TOmittedEntry {
  std::string Path;  // disk path (or compilation path), UTF-8, unprintable bytes as \xNN
  TOmitReason Reason = TOmitReason::SameName;
  std::string Detail;
};

// The reason as one English line: "a folder link that leads back into its own path (/data)".
std::string OmitReasonText(const TOmittedEntry& e);
// Adds an entry to the builder's list (at most kMaxOmittedListed; the rest are only counted).
void RecordOmission(TImageBuilder& b, std::string_view path, TOmitReason reason,
                    std::string detail = {});
constexpr size_t kMaxOmittedListed = 100000;
// A path's bytes for display: valid UTF-8 as it is, other bytes as \xNN.
std::string PrintablePath(std::string_view bytes);
