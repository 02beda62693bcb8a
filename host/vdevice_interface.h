// VDeviceInterface: what the host asks of every device: identity, cached records, round completion.
// The order of the virtual operations is the host's ABI; never reorder or insert.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

class VDeviceInterface {
 public:
  // Devices keep no value table for the host to query: every call reports "data not ready".
  virtual float Get_Value(unsigned int /*index*/, const std::string& /*key*/) const {
    throw std::out_of_range("数据未就绪");
  }
  // Forwards the image, every byte of it (embedded zero bytes included), to the byte form.
  virtual int LoadFromCache(const std::string& bytes) {
    return LoadFromCache(reinterpret_cast<const unsigned char*>(bytes.data()),
                         static_cast<int>(bytes.size()));
  }
  virtual int LoadFromCache(const unsigned char* data, int len) = 0;
  virtual uint32_t DataId() const { return data_id_; }
  virtual const std::string& DeviceType() const { return device_type_; }
  virtual int DeviceIoControl(int code, const void* in, int in_len, void* out, int out_len,
                              int& returned) = 0;
  virtual void RoundDone() = 0;
  virtual bool UseControllerDb() { return use_controller_db_; }
  virtual ~VDeviceInterface() = default;

 protected:
  uint32_t data_id_ = 0;
  std::string device_type_;
  bool use_controller_db_ = false;
};
