#pragma once
#include "Core/CInputStream.h"
#include "Core/CPosStream.h"

namespace tal {

// An input stream with a position: memory readers, resource readers and file readers.
class CPosInputStream : public CInputStream, public virtual CPosStream {};

} // namespace tal
