#pragma once
// Wide-string helpers of the compilation tree: terminated texts, compilation paths ("\"
// separated, as the component's interface gives them) and disk paths ("/" separated).
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace img {

struct TDirNode;

// Length of a terminated wide text (0 for null).
size_t WStrLen(const char16_t* s);
// View of a terminated wide text (empty for null).
std::u16string_view WStr(const char16_t* s);

// Components of a compilation path: separators are "\"; leading, trailing and repeated
// separators are ignored, so "", "\" and "\\" all name the root.
std::vector<std::u16string_view> SplitCompilationPath(std::u16string_view path);

// "\" for the root, otherwise "\" + each ancestor's long name + "\" ... + own name + "\".
std::u16string DirectoryPath(const TDirNode* dir);

// The components of a disk folder path below its root, for recreating the path inside the
// compilation: "/home/ana/photos" gives home, ana, photos. "." and ".." components are left out.
std::vector<std::string_view> DiskPathComponents(std::string_view path);

}  // namespace img
