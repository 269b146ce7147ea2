#pragma once
// Disk-image containers: an image whose bytes are not the disk's bytes laid
// out in order (a forensic E01, a virtual machine's VHD, VHDX or VMDK) or
// that is cut into pieces. Each opens as a read-only byte source, so the
// partition layer above sees the disk inside. The library formats are
// optional at build time; a build without one refuses it by name.
#include <memory>
#include <string>

#include "media/byte_source.h"

namespace media {

// "raw", "split", "E01", "VHD", "VHDX", "VMDK".
const char* ContainerName(ContainerFormat format);

// What `path` is, from its first and last sectors (and a split image's names).
ContainerFormat DetectContainer(const std::string& path);

// Whether this build reads the format.
bool ContainerReadable(ContainerFormat format);

// Why `path` cannot be read when it is a container this build does not read
// ("an E01 image: this build reads none (it was built without libewf)"); empty otherwise.
std::string ContainerRefusal(const std::string& path);

// The disk inside a container of a format this build reads; null when the
// library refuses the file (a damaged container, a differencing VHD without its parent).
std::unique_ptr<ByteSource> OpenContainer(const std::string& path, ContainerFormat format);

} // namespace media
