// ZRMSocketDevice: a host device that may own a socket. The handle-less SendSocketData overloads
// forward to the host's own handle-first forms on socket_id_.
#pragma once

#include <string>
#include <vector>

#include <boost/asio/buffer.hpp>

#include "zrm_vdevice.h"

class ZRMSocketDevice : public ZRMVDevice {
 public:
  ZRMSocketDevice();
  ~ZRMSocketDevice() override;

  int Init(std::weak_ptr<ZRMController> controller, unsigned int data_id,
           const Json::Value& config) override;
  virtual int process(int socket, unsigned char* data, int len);
  virtual int process_data(int socket, unsigned char* data, int len) = 0;
  virtual int OnConnected(int socket);
  virtual int RefreshStatus();
  virtual int StartSocket(const std::string& address, unsigned short port);
  virtual int CloseSocket(int socket);
  virtual int SendSocketData(const unsigned char* data, unsigned int len) {
    return ZRMSocketDevice::SendSocketData(socket_id_, data, len);
  }
  virtual int SendSocketData(int socket, const unsigned char* data, unsigned int len);
  virtual int SendSocketData(const std::vector<boost::asio::const_buffer>& buffers) {
    return ZRMSocketDevice::SendSocketData(socket_id_, buffers);
  }
  virtual int SendSocketData(int socket, const std::vector<boost::asio::const_buffer>& buffers);

 protected:
  int socket_id_ = -1;
};
