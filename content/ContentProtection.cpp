#include "content/ContentProtection.h"

std::atomic<quint8> StockContentProtected{1};
std::atomic<quint8> MosavraContentProtected{1};
