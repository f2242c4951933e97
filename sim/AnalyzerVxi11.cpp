#include "AnalyzerVxi11.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <algorithm>

#include "DeviceCalls.h"

namespace sim {

using namespace usblink;

std::vector<ListedDevice> AnalyzerBridge::attachedDevices()
{
    return { { std::string(AnalyzerCommands::Model), "SA" } };
}

FT_STATUS AnalyzerBridge::FT_Open(int32_t index, DeviceHandle* handle)
{
    if (!handle)
        return FT_INVALID_PARAMETER;
    if (index != 0)
        return FT_DEVICE_NOT_FOUND;
    open_ = true;
    hungUp_ = false;
    partialLine_.clear();
    replies_.clear();
    *handle = OpenHandle;
    return FT_OK;
}

FT_STATUS AnalyzerBridge::FT_Write(DeviceHandle handle, const void* buffer, uint32_t count, uint32_t* written)
{
    if (const FT_STATUS status = statusOf(handle); status != FT_OK)
        return status;
    if (!written || (count > 0 && !buffer))
        return FT_INVALID_PARAMETER;
    std::string_view bytes(static_cast<const char*>(buffer), count);
    while (!bytes.empty()) {
        const auto end = bytes.find('\n');
        partialLine_ += bytes.substr(0, end);
        if (end == std::string_view::npos)
            break;
        bytes.remove_prefix(end + 1);
        std::string line = std::exchange(partialLine_, {});
        if (line.ends_with('\r'))
            line.pop_back();
        const AnalyzerAnswer answer = commands_.handleLine(line);
        hungUp_ = hungUp_ || answer.hangUp;
        if (answer.reply)
            replies_.push_back({ *answer.reply + '\n', answer.due });
    }
    *written = count;
    return FT_OK;
}

FT_STATUS AnalyzerBridge::FT_Read(DeviceHandle handle, void* buffer, uint32_t count, uint32_t* received)
{
    if (const FT_STATUS status = statusOf(handle); status != FT_OK)
        return status;
    if (!received || (count > 0 && !buffer))
        return FT_INVALID_PARAMETER;
    *received = 0;
    if (std::exchange(hungUp_, false))
        return FT_DEVICE_NOT_FOUND;
    if (replies_.empty())
        return FT_OK;
    if (const auto wait = replies_.front().due - AnalyzerCommands::steadyClock(); wait.count() > 0) {
        QEventLoop sweep;
        QTimer::singleShot(wait, &sweep, &QEventLoop::quit);
        sweep.exec();
    }
    std::string& bytes = replies_.front().bytes;
    const auto taken = std::min<std::size_t>(count, bytes.size());
    std::copy_n(bytes.begin(), taken, static_cast<char*>(buffer));
    bytes.erase(0, taken);
    if (bytes.empty())
        replies_.pop_front();
    *received = static_cast<uint32_t>(taken);
    return FT_OK;
}

FT_STATUS AnalyzerBridge::FT_Purge(DeviceHandle handle, uint32_t mask)
{
    if (const FT_STATUS status = statusOf(handle); status != FT_OK)
        return status;
    if (mask & FT_PURGE_RX)
        replies_.clear();
    return FT_OK;
}

FT_STATUS AnalyzerBridge::FT_Close(DeviceHandle handle)
{
    if (const FT_STATUS status = statusOf(handle); status != FT_OK)
        return status;
    open_ = false;
    return FT_OK;
}

// A hang-up leaves the link down; the analyzer is back for the next call.
AnalyzerVxi11::AnalyzerVxi11(AnalyzerCommands& commands)
    : bridge_(commands)
    , session_(bridge_, [] { QCoreApplication::processEvents(); })
    , server_(session_, slots_)
{
    session_.listDevices();
    session_.open(0);
    session_.addLinkObserver([this] {
        if (session_.linkDown())
            QTimer::singleShot(0, [this] { session_.reopen(); });
    });
}

QString AnalyzerVxi11::listen(const QHostAddress& address, bool registerWithPortMapper)
{
    if (!server_.listen(address))
        return server_.errorString();
    if (!registerWithPortMapper)
        return {};
    registration_ = std::make_unique<remote::PortMapperRegistration>(vxi11::CoreProgram, vxi11::ProgramVersion);
    return QString::fromStdString(registration_->registerAt(address, server_.port()));
}

} // namespace sim
