#include "platform/qt/QtGraphics.h"

#include <QByteArray>
#include <QOffscreenSurface>
#include <QOpenGLContext>
#include <QOpenGLFunctions>
#include <QQuickWindow>
#include <QSGRendererInterface>
#include <QtGlobal>

namespace {

// The renderer's name, or empty when OpenGL cannot be used at all.
QByteArray RendererName()
{
    QOpenGLContext context;
    if (!context.create())
        return {};
    QOffscreenSurface surface;
    surface.setFormat(context.format());
    surface.create();
    if (!surface.isValid() || !context.makeCurrent(&surface))
        return {};
    const auto *name = reinterpret_cast<const char *>(context.functions()->glGetString(GL_RENDERER));
    QByteArray result(name ? name : "");
    context.doneCurrent();
    return result;
}

} // namespace

bool QtGraphics::IsSoftwareRenderer(const char *name)
{
    const QByteArray lower = QByteArray(name ? name : "").toLower();
    // Mesa's rasterisers, and whatever calls itself a software one.
    return lower.isEmpty() || lower.contains("llvmpipe") || lower.contains("softpipe") || lower.contains("swrast") ||
        lower.contains("software");
}

void QtGraphics::ChooseRenderer()
{
    // Composing a window of pages through OpenGL on the processor costs tens of
    // milliseconds of the UI thread per frame; the software renderer a few.
    if (qEnvironmentVariableIsSet("QT_QUICK_BACKEND") || qEnvironmentVariableIsSet("QSG_RHI_BACKEND"))
        return;
    if (IsSoftwareRenderer(RendererName().constData()))
        QQuickWindow::setGraphicsApi(QSGRendererInterface::Software);
}
