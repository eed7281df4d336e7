// Which scan server loads a plugin of each machine type, in one place: today
// there is the x64 server only; a 32-bit one would be chosen here.
#pragma once

#include <string>

#include "host/ImageMachine.h"

// False, with the reason for the record, when no server can load the image.
[[nodiscard]] bool HasServerFor(const ImageHeader& image, std::string& whyNot);
