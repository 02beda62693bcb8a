#include "journal.h"

ZRMSocketDevice::ZRMSocketDevice() = default;

ZRMSocketDevice::~ZRMSocketDevice() = default;

int ZRMSocketDevice::Init(std::weak_ptr<ZRMController> controller, unsigned int data_id,
                          const Json::Value& config) {
  return ZRMVDevice::Init(std::move(controller), data_id, config);
}

int ZRMSocketDevice::process(int socket, unsigned char*, int len) {
  standin::Journal(this, "process", {std::to_string(socket), std::to_string(len)});
  return 0;
}

int ZRMSocketDevice::OnConnected(int socket) {
  standin::Journal(this, "OnConnected", {std::to_string(socket)});
  return 0;
}

int ZRMSocketDevice::RefreshStatus() {
  standin::Journal(this, "RefreshStatus");
  return 0;
}

int ZRMSocketDevice::StartSocket(const std::string& address, unsigned short port) {
  standin::Journal(this, "StartSocket", {address, std::to_string(port)});
  return 0;
}

int ZRMSocketDevice::CloseSocket(int socket) {
  standin::Journal(this, "CloseSocket", {std::to_string(socket)});
  return 0;
}

int ZRMSocketDevice::SendSocketData(int socket, const unsigned char*, unsigned int len) {
  standin::Journal(this, "SendSocketData", {std::to_string(socket), std::to_string(len)});
  return static_cast<int>(len);
}

int ZRMSocketDevice::SendSocketData(int socket,
                                    const std::vector<boost::asio::const_buffer>& buffers) {
  std::size_t total = 0;
  for (const auto& buffer : buffers) total += buffer.size();
  standin::Journal(this, "SendSocketData", {std::to_string(socket), std::to_string(total)});
  return static_cast<int>(total);
}
