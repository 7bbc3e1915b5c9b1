// Built into the test executable as a static plugin: QImageReader finds it beside the
// formats Qt installs.
#define QT_STATICPLUGIN

#include "tests/images/PromisingImageFormat.h"

#include <QImageIOPlugin>
#include <QtPlugin>

#include <atomic>

namespace {

std::atomic<int> reads{0};

class PromisingHandler : public QImageIOHandler
{
public:
    bool canRead() const override
    {
        setFormat("promise");
        return tries_ < kPromisingImagePromises;
    }
    bool read(QImage*) override
    {
        ++tries_;
        ++reads;
        return false;
    }

private:
    int tries_ = 0;
};

} // namespace

class PromisingImagePlugin : public QImageIOPlugin
{
    Q_OBJECT
    Q_PLUGIN_METADATA(IID "org.qt-project.Qt.QImageIOHandlerFactoryInterface" FILE "PromisingImageFormat.json")
public:
    Capabilities capabilities(QIODevice* device, const QByteArray& format) const override
    {
        if (format == "promise")
            return CanRead;
        if (!format.isEmpty() || !device || !device->isReadable())
            return {};
        return device->peek(7) == "PROMISE" ? CanRead : Capabilities();
    }
    QImageIOHandler* create(QIODevice* device, const QByteArray& format) const override
    {
        auto* handler = new PromisingHandler;
        handler->setDevice(device);
        handler->setFormat(format);
        return handler;
    }
};

int PromisingImageReads()
{
    return reads.load();
}

#include "PromisingImageFormat.moc"

Q_IMPORT_PLUGIN(PromisingImagePlugin)
