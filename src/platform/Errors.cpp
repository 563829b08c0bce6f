#include "Errors.h"

QString exceptionText(const std::exception& e) {
    if (auto* ours = dynamic_cast<const Exception*>(&e))
        return ours->Message();
    return QString::fromUtf8(e.what());
}
