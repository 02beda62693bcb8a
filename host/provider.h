// Providers: a plug-in hands the host a list of them; a ZRMSocketDeviceProvider creates devices.
// The caller owns each device that create() returns and deletes it through its virtual destructor.
#pragma once

class ZRMSocketDevice;

class Provider {
 public:
  virtual ~Provider() = default;
};

class ZRMSocketDeviceProvider : public Provider {
 public:
  ~ZRMSocketDeviceProvider() override = default;
  virtual ZRMSocketDevice* create() const = 0;
};
