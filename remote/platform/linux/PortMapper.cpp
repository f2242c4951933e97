#include "PortMapper.h"

#include <memory>
#include <rpc/rpc.h>

namespace remote {

namespace {

// How long a server registered before may take to show it is alive.
constexpr timeval AnswerWait { 1, 0 };

struct NetconfigDeleter {
    void operator()(netconfig* config) const { freenetconfigent(config); }
};
using Netconfig = std::unique_ptr<netconfig, NetconfigDeleter>;

struct NetbufDeleter {
    void operator()(netbuf* address) const
    {
        std::free(address->buf);
        std::free(address);
    }
};

const char* netidOf(const QHostAddress& address)
{
    return address.protocol() == QAbstractSocket::IPv6Protocol ? "tcp6" : "tcp";
}

// RPC's universal address: the host's text, then the port's two bytes.
std::string universalAddress(const QHostAddress& address, uint16_t port)
{
    return address.toString().toStdString() + '.' + std::to_string(port >> 8) + '.' + std::to_string(port & 0xFF);
}

// The null procedure's arguments and results: nothing to encode.
bool_t nothing(XDR*, ...)
{
    return TRUE;
}

// Whether a server registered for the program answers a null call.
bool registeredServerAnswers(uint32_t program, uint32_t version, const char* netid)
{
    timeval wait = AnswerWait;
    CLIENT* client = clnt_create_timed("localhost", program, version, netid, &wait);
    if (!client)
        return false;
    const clnt_stat status = clnt_call(client, NULLPROC, nothing, nullptr, nothing, nullptr, AnswerWait);
    clnt_destroy(client);
    return status == RPC_SUCCESS;
}

} // namespace

std::string portMapperProblem()
{
    const Netconfig config(getnetconfigent("tcp"));
    rpcblist* maps = config ? rpcb_getmaps(config.get(), "localhost") : nullptr;
    if (!maps)
        return PortMapperMissing;
    xdr_free(reinterpret_cast<xdrproc_t>(xdr_rpcblist_ptr), reinterpret_cast<char*>(&maps));
    return {};
}

std::string PortMapperRegistration::registerAt(const QHostAddress& address, uint16_t port)
{
    if (std::string problem = portMapperProblem(); !problem.empty())
        return problem;
    const char* netid = netidOf(address);
    const Netconfig config(getnetconfigent(netid));
    const std::unique_ptr<netbuf, NetbufDeleter> where(
        config ? uaddr2taddr(config.get(), universalAddress(address, port).c_str()) : nullptr);
    if (!where)
        return "VXI-11 cannot be registered with rpcbind for " + address.toString().toStdString() + ".";
    if (registeredServerAnswers(program_, version_, netid))
        return "rpcbind lists another VXI-11 server on this computer, which answers: this panel's VXI-11 is not "
               "registered.";
    rpcb_unset(program_, version_, config.get()); // left by a server that no longer answers
    if (!rpcb_set(program_, version_, config.get(), where.get()))
        return "rpcbind refused to register VXI-11: is an earlier registration another user's?";
    netid_ = netid;
    port_ = port;
    return {};
}

// Only the port is compared: the port mapper may give the address in
// another form than it was registered in (an any address as the one asked
// on).
bool PortMapperRegistration::stillListed() const
{
    if (netid_.empty())
        return false;
    const Netconfig config(getnetconfigent(netid_.c_str()));
    char buffer[sizeof(sockaddr_storage)] = {};
    netbuf found { sizeof buffer, 0, buffer };
    if (!config || !rpcb_getaddr(program_, version_, config.get(), &found, "localhost"))
        return false;
    const std::unique_ptr<char, decltype(&std::free)> listed(taddr2uaddr(config.get(), &found), &std::free);
    const std::string text = listed ? listed.get() : "";
    return text.ends_with('.' + std::to_string(port_ >> 8) + '.' + std::to_string(port_ & 0xFF));
}

void PortMapperRegistration::withdraw()
{
    if (netid_.empty())
        return;
    const Netconfig config(getnetconfigent(netid_.c_str()));
    rpcb_unset(program_, version_, config.get());
    netid_.clear();
    port_ = 0;
}

} // namespace remote
