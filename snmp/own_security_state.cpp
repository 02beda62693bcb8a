#include "own_security_state.h"

#include <cstdlib>
#include <cstring>

namespace qiraoid {

namespace {

template <typename T>
bool SameBytes(const T* a, size_t a_length, const T* b, size_t b_length) {
  return a_length == b_length && (a_length == 0 || std::memcmp(a, b, a_length * sizeof(T)) == 0);
}

template <typename T>
T* Duplicate(const T* data, size_t length) {
  if (data == nullptr) return nullptr;
  return static_cast<T*>(netsnmp_memdup(data, length * sizeof(T)));
}

// Replaces a key, wiping the old one first as the library does when it frees a user.
void ReplaceKey(u_char** key, size_t* length, const u_char* with, size_t with_length) {
  if (*key != nullptr) {
    std::memset(*key, 0, *length);
    std::free(*key);
  }
  *key = Duplicate(with, with_length);
  *length = *key != nullptr ? with_length : 0;
}

void ReplaceProtocol(oid** protocol, size_t* length, const oid* with, size_t with_length) {
  std::free(*protocol);
  *protocol = Duplicate(with, with_length);
  *length = *protocol != nullptr ? with_length : 0;
}

bool SameKeys(const usmUser& a, const usmUser& b) {
  return SameBytes(a.authProtocol, a.authProtocolLen, b.authProtocol, b.authProtocolLen) &&
         SameBytes(a.authKey, a.authKeyLen, b.authKey, b.authKeyLen) &&
         SameBytes(a.privProtocol, a.privProtocolLen, b.privProtocol, b.privProtocolLen) &&
         SameBytes(a.privKey, a.privKeyLen, b.privKey, b.privKeyLen);
}

void CopyKeys(const usmUser& from, usmUser* to) {
  ReplaceProtocol(&to->authProtocol, &to->authProtocolLen, from.authProtocol, from.authProtocolLen);
  ReplaceKey(&to->authKey, &to->authKeyLen, from.authKey, from.authKeyLen);
  ReplaceProtocol(&to->privProtocol, &to->privProtocolLen, from.privProtocol, from.privProtocolLen);
  ReplaceKey(&to->privKey, &to->privKeyLen, from.privKey, from.privKeyLen);
}

// A device's user, active as the users the library makes from a session are.
usmUser* NewUser(const char* name, const u_char* engine_id, size_t engine_id_length) {
  usmUser* user = NewUsmUser(name, engine_id, engine_id_length);
  if (user == nullptr) return nullptr;
  user->userStatus = RS_ACTIVE;
  user->userStorageType = ST_READONLY;
  return user;
}

// generate_kul into a buffer of `size` bytes, as the library does for the users it makes.
bool LocalizeKey(const usmUser& user, const u_char* ku, size_t ku_length, size_t size, u_char** key,
                 size_t* key_length) {
  *key = static_cast<u_char*>(std::calloc(1, size));
  *key_length = size;
  return *key != nullptr &&
         generate_kul(user.authProtocol, static_cast<u_int>(user.authProtocolLen), user.engineID,
                      static_cast<u_int>(user.engineIDLen), ku, ku_length, *key, key_length) == SNMPERR_SUCCESS;
}

}  // namespace

usmUser* NewUsmUser(const char* name, const u_char* engine_id, size_t engine_id_length) {
  auto* user = static_cast<usmUser*>(std::calloc(1, sizeof(usmUser)));
  if (user == nullptr) return nullptr;
  user->name = strdup(name);
  user->secName = strdup(name);
  if (engine_id_length != 0) {
    user->engineID = Duplicate(engine_id, engine_id_length);
    user->engineIDLen = engine_id_length;
  }
  if (user->name == nullptr || user->secName == nullptr || (engine_id_length != 0 && user->engineID == nullptr)) {
    usm_free_user(user);
    return nullptr;
  }
  return user;
}

void InstallClock(const AgentClock& clock) {
  if (clock.engine_id.empty()) return;
  const auto* id = reinterpret_cast<const u_char*>(clock.engine_id.data());
  const auto length = static_cast<u_int>(clock.engine_id.size());
  Enginetime entry = search_enginetime_list(id, length);
  if (entry == nullptr) {
    set_enginetime(id, length, clock.boots, clock.time, clock.authenticated);
    entry = search_enginetime_list(id, length);
    if (entry == nullptr) return;
  }
  if (entry->engineBoot == clock.boots && entry->engineTime == clock.time &&
      entry->lastReceivedEngineTime == clock.learned_at && entry->authenticatedFlag == clock.authenticated) {
    return;
  }
  entry->engineBoot = clock.boots;
  entry->engineTime = clock.time;
  entry->lastReceivedEngineTime = clock.learned_at;
  entry->authenticatedFlag = clock.authenticated;
}

void LearnClock(const u_char* engine_id, size_t length, AgentClock* clock) {
  const Enginetime entry = search_enginetime_list(engine_id, static_cast<u_int>(length));
  if (entry == nullptr) return;
  if (!SameBytes(clock->engine_id.data(), clock->engine_id.size(), reinterpret_cast<const char*>(engine_id), length)) {
    clock->engine_id.assign(reinterpret_cast<const char*>(engine_id), length);
  }
  clock->boots = entry->engineBoot;
  clock->time = entry->engineTime;
  clock->learned_at = entry->lastReceivedEngineTime;
  clock->authenticated = entry->authenticatedFlag;
}

void ForgetTime(AgentClock* clock) {
  clock->boots = 0;
  clock->time = 0;
  clock->learned_at = snmpv3_local_snmpEngineTime();
  clock->authenticated = 0;
}

// The steps of usm_create_user_from_session for a user it makes, from the session's protocols
// (the library's defaults when the settings name none) and keys.
bool LocalizedUser::Localize(const netsnmp_session& session) {
  user_.reset();
  if (session.securityName == nullptr || session.securityEngineIDLen == 0) return false;
  user_.reset(NewUser(session.securityName, session.securityEngineID, session.securityEngineIDLen));
  if (!user_) return false;
  usmUser& user = *user_;
  ReplaceProtocol(&user.authProtocol, &user.authProtocolLen, session.securityAuthProto, session.securityAuthProtoLen);
  ReplaceProtocol(&user.privProtocol, &user.privProtocolLen, session.securityPrivProto, session.securityPrivProtoLen);
  bool made = true;
  if (session.securityAuthKeyLen != 0) {
    made = LocalizeKey(user, session.securityAuthKey, session.securityAuthKeyLen, USM_LENGTH_KU_HASHBLOCK,
                       &user.authKey, &user.authKeyLen);
  }
  if (made && session.securityPrivKeyLen != 0) {
    made = LocalizeKey(user, session.securityPrivKey, session.securityPrivKeyLen, USM_PRIV_KU_LEN, &user.privKey,
                       &user.privKeyLen);
  }
  if (!made || usm_extend_user_kul(&user, USM_PRIV_KU_LEN) != SNMPERR_SUCCESS) {
    user_.reset();
    return false;
  }
  return true;
}

void LocalizedUser::Install() const {
  usmUser* shared = usm_get_user(user_->engineID, user_->engineIDLen, user_->name);
  if (shared == nullptr) {
    usmUser* added = NewUser(user_->name, user_->engineID, user_->engineIDLen);
    if (added == nullptr) return;
    CopyKeys(*user_, added);
    usm_add_user(added);
    return;
  }
  if (!SameKeys(*shared, *user_)) CopyKeys(*user_, shared);
}

}  // namespace qiraoid
