// UniDataDevice: a host device that owns one packed record. A round stamps the record with the
// local time, publishes it, lets the device report its alarm signals, runs the host's batch check
// and stores the record in the history. The host may hand a stored record back (LoadFromCache),
// which completes a round with it.
//
// The record and every round are guarded by one mutex: rounds from the sampling thread and from
// the host's cache loads never interleave. A host callback made from inside a round that asks the
// same device for another round (LoadFromCache, RoundDone) is not run nested: it is queued and
// runs on the same thread right after the current round, so it cannot deadlock.
#pragma once

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>

#include <boost/date_time/posix_time/posix_time_types.hpp>
#include <json/value.h>

#include "log_line.h"
#include "ttime.h"
#include "zrm_vdevice.h"

template <typename Record, typename Base, int Variant>
class UniDataDevice : public Base {
 public:
  static constexpr int kRecordSize = static_cast<int>(sizeof(Record));
  // What InitSetting reads of a configuration besides appSetting.b_mode: in this mode, each
  // thresholdSetting entry's signal name and the parts of its alarm id, each as text.
  static constexpr int kThresholdSettingMode = 3;
  static constexpr const char* kSignalNameField = "SignalName";
  static constexpr const char* kAlarmIdFields[] = {"NMAlarmID", "ID", "SignalNumber"};

  UniDataDevice() { std::memset(&data_, 0, sizeof data_); }
  ~UniDataDevice() override = default;

  using Base::LoadFromCache;
  // Accepts exactly one record image and completes a round with it; anything else gives 0.
  int LoadFromCache(const unsigned char* data, int len) override {
    if (data == nullptr || len != kRecordSize) return 0;
    if (InOwnRound()) {
      deferred_rounds_.emplace_back(reinterpret_cast<const char*>(data), kRecordSize);
      return 1;
    }
    std::lock_guard<std::mutex> guard(mutex_);
    RunRounds(data);
    return 1;
  }

  void RoundDone() override {
    if (InOwnRound()) {
      deferred_rounds_.emplace_back();
      return;
    }
    std::lock_guard<std::mutex> guard(mutex_);
    RunRounds(nullptr);
  }

  // Stamps the device id into the record, reads the mode and, in mode 3, the threshold entries,
  // then hands the configuration on to the host.
  int InitSetting(const Json::Value& config) override {
    {
      auto guard = GuardRecord();
      data_.data_id = this->data_id_;
      ReadMode(config);
      if (b_mode_ == kThresholdSettingMode) ReadThresholdSettings(config);
    }
    return this->ZRMVDevice::InitSetting(config);
  }

  // Reports the device's alarm signals for the round; devices without any keep this default.
  virtual void RunCheckThreshold() {}

 protected:
  // Guards the record for a writer outside the round; the round's own thread already holds it.
  std::unique_lock<std::mutex> GuardRecord() {
    if (InOwnRound()) return {};
    return std::unique_lock<std::mutex>(mutex_);
  }

  Record data_;
  int32_t b_mode_ = 1;
  std::map<std::string, std::string> alarm_id_map_;
  std::map<std::string, std::string> signal_name_map_;

 private:
  bool InOwnRound() const { return round_thread_.load() == std::this_thread::get_id(); }

  // Runs one round (on the cached image, if given), then the rounds its callbacks asked for.
  // The caller holds mutex_.
  void RunRounds(const unsigned char* image) {
    struct RoundOwner {
      explicit RoundOwner(std::atomic<std::thread::id>& owner) : owner_(owner) {
        owner_.store(std::this_thread::get_id());
      }
      ~RoundOwner() { owner_.store(std::thread::id()); }
      std::atomic<std::thread::id>& owner_;
    } owner(round_thread_);

    std::string deferred;
    for (;;) {
      if (image != nullptr) {
        std::memcpy(&data_, image, kRecordSize);
        this->data_ready_ = true;
      }
      CompleteRound();
      if (deferred_rounds_.empty()) return;
      deferred = std::move(deferred_rounds_.front());
      deferred_rounds_.pop_front();
      image = deferred.empty() ? nullptr : reinterpret_cast<const unsigned char*>(deferred.data());
    }
  }

  void CompleteRound() {
    const auto* record = reinterpret_cast<const unsigned char*>(&data_);
    if (!this->data_ready_) this->data_ready_ = true;
    this->sample_time_ = boost::posix_time::second_clock::local_time();
    data_.time = get_ttime(this->sample_time_);
    this->ZRMVDevice::SendSP(0, record, kRecordSize, false);
    this->Reset();
    this->signal_no_ = 1;
    this->alarm_changed_ = false;
    RunCheckThreshold();
    LogLine("rvSize is ", this->rule_values_.size());
    const bool changed = this->ZRMVDevice::DoBatchCheckThreshold(this->rule_values_);
    this->alarm_changed_ = this->alarm_changed_ || changed;
    this->ZRMVDevice::SaveDeviceHistory(record, kRecordSize);
    this->rule_values_.clear();
  }

  void ReadMode(const Json::Value& config) {
    const Json::Value& app = config["appSetting"];
    if (!app.isObject() || app["b_mode"].isNull()) return;
    b_mode_ = std::atoi(app["b_mode"].asString().c_str());
    const uint32_t id = data_.data_id;
    LogLine("InitSetting ", id, " b_mode_:", b_mode_);
  }

  void ReadThresholdSettings(const Json::Value& config) {
    LogLine("here 1");
    const Json::Value& thresholds = config["thresholdSetting"];
    if (thresholds.isNull()) return;
    LogLine("here 2");
    for (auto member = thresholds.begin(); member != thresholds.end(); ++member) {
      const std::string key = member.key().asString();
      LogLine("here ", key);
      const Json::Value& entry = thresholds[key];
      if (!entry.isObject()) continue;
      if (!entry[kSignalNameField].isNull()) signal_name_map_[key] = entry[kSignalNameField].asString();
      std::string alarm_id;
      for (const char* field : kAlarmIdFields) {
        if (entry[field].isNull()) {
          LogLine(this->data_id_, " ", field, " is missing");
        } else {
          alarm_id += entry[field].asString();
        }
        alarm_id += ';';
      }
      LogLine("mobile:", key, ":", alarm_id, " level:", this->level_map_[key],
              " value:", this->value_map_[key]);
      alarm_id_map_[key] = alarm_id;
    }
  }

  std::mutex mutex_;
  std::atomic<std::thread::id> round_thread_{};
  std::deque<std::string> deferred_rounds_;  // an empty image is a round on the record as it is
};
