// Construction of the protocol half of the camera link.
#include "camera/camera.hpp"

CCameraProtocol::CCameraProtocol(IPortSystem& ports) : CSerialPort(ports) {
    m_preferredSpeed = 2304;
    m_lastReceive = NowMs();
}
