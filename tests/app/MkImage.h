#pragma once
// An image file made from a folder the way `ardovan-cli mkimage` makes it: the content laid out
// and streamed into a file. (Kept apart: the image builder's headers and the component's header
// do not meet in one file.)
#include <string>

namespace wiztest {

// The folder's content as an ISO 9660 image with Joliet names, labelled "KOPIE"; its path.
std::string MakeImage(const std::string& source);

}  // namespace wiztest
