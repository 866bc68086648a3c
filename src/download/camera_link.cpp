// The complete camera link object.
#include "download/download.hpp"

CCameraLink::CCameraLink(IPortSystem& ports) : CCameraProtocol(ports) {}
