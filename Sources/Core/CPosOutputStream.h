#pragma once
#include "Core/COutputStream.h"
#include "Core/CPosStream.h"

namespace tal {

// An output stream with a position: file writers.
class CPosOutputStream : public COutputStream, public virtual CPosStream {};

} // namespace tal
