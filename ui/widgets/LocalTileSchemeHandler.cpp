#include "LocalTileSchemeHandler.h"

#include <QBuffer>
#include <QUrl>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>

LocalTileSchemeHandler::LocalTileSchemeHandler(QObject* parent)
    : QWebEngineUrlSchemeHandler(parent) {}

QByteArray LocalTileSchemeHandler::SchemeName() {
    return QByteArray(kLocalTileScheme.data(), static_cast<qsizetype>(kLocalTileScheme.size()));
}

void LocalTileSchemeHandler::RegisterScheme() {
    if (!QWebEngineUrlScheme::schemeByName(SchemeName()).name().isEmpty())
        return;
    QWebEngineUrlScheme scheme(SchemeName());
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
    // Secure, so that the qrc: map page may show its pictures. Not a local scheme: QtWebEngine
    // does not count qrc: as local and would refuse them. Only the map page, which never leaves
    // for other places, runs in the profile that serves it.
    scheme.setFlags(QWebEngineUrlScheme::SecureScheme |
                    QWebEngineUrlScheme::ContentSecurityPolicyIgnored);
    QWebEngineUrlScheme::registerScheme(scheme);
}

void LocalTileSchemeHandler::requestStarted(QWebEngineUrlRequestJob* job) {
    const QByteArray path = job->requestUrl().path(QUrl::FullyEncoded).toLatin1();
    const std::optional<TileAddress> address =
        job->requestMethod() == "GET"
            ? ParseTilePath(std::string_view(path.constData(), static_cast<size_t>(path.size())))
            : std::nullopt;
    const std::optional<MbtilesFile::Tile> tile = address ? m_file.Read(*address) : std::nullopt;
    if (!tile) {
        job->fail(QWebEngineUrlRequestJob::UrlNotFound);
        return;
    }
    // The job owns the buffer it reads the reply from.
    auto* buffer = new QBuffer(job);
    buffer->setData(tile->data);
    const std::string_view mime = TileImageMime(tile->kind);
    job->reply(QByteArray(mime.data(), static_cast<qsizetype>(mime.size())), buffer);
}
