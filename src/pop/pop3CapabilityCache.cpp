#include "pop3CapabilityCache.h"

Pop3CapabilityCache& Pop3CapabilityCache::instance() {
    static Pop3CapabilityCache cache;
    return cache;
}

QString Pop3CapabilityCache::keyOf(const QString& host, int port, bool implicitTls) {
    return QStringLiteral("%1|%2|%3").arg(host.toLower()).arg(port).arg(implicitTls ? 1 : 0);
}

void Pop3CapabilityCache::clear() {
    servers_.clear();
    secured_.clear();
}
