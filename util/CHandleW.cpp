#include "util/CHandleW.h"

namespace KorrinControlsEx {

CHandleW::~CHandleW() = default;

} // namespace KorrinControlsEx
