#include "frame/replyaddressee.h"

namespace telmira {

ReplyAddressee::~ReplyAddressee() = default;

} // namespace telmira
