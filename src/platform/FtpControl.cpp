#include "platform/FtpControl.h"

namespace quillon::platform {

FtpControl::FtpControl(QObject* parent) : QObject(parent) {}
FtpControl::~FtpControl() = default;

}  // namespace quillon::platform
