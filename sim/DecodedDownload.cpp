#include "DecodedDownload.h"

QString StreamUnit::name() const { return {}; }
QString DecodedDownload::toText() const { return {}; }
QString DecodedDownload::writeReport(const QString &) const { return {}; }
