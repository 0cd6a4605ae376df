// The keys that are present: one DeviceRecord per device handle the host gave
// us, holding (and owning) that handle and every certificate handle of every
// key pair on it; the process-wide DeviceRecordList in host order; and the
// grouping of a key's certificates into CertGroups that belong together.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "Cert/PkiOwners.h"

class DeviceRecord {
public:
    DeviceRecord() = default;
    ~DeviceRecord() { ReleaseDeviceRecord(); }
    DeviceRecord(const DeviceRecord&) = delete;
    DeviceRecord& operator=(const DeviceRecord&) = delete;

    // Takes ownership of the device handle (also when it has no key pair) and
    // reads every certificate of every key pair. 1 when the device has at
    // least one key pair, else 0.
    int LoadDeviceCertificates(unsigned long handle);
    // Frees the device handle and every certificate handle.
    void ReleaseDeviceRecord();

    // The handles as readers see them; the record owns them through the
    // owners below (writing here hands nothing to the record).
    unsigned long device = 0;
    // The key's serial number, read with its handle: a PKI library may hand
    // the same handle value to the next key once this one's is freed.
    std::wstring serialNumber;
    // Its label and type name, read once with the handle too: each is a
    // question to the token, and the key list, the key's page and its
    // details show them again and again.
    std::wstring label;
    std::wstring typeName;
    // Key pairs by index, and within one key pair its certificates by index.
    std::vector<unsigned long> certificates;

private:
    Pki::ScopedDevice m_device_;
    std::vector<Pki::ScopedCertificate> m_ownedCertificates_;
};

// Certificates of one key that belong together, borrowed from its record:
// valid until the record is released.
struct CertGroup {
    std::vector<unsigned long> certificates;
};

class DeviceRecordList {
public:
    static DeviceRecordList& Instance();
    ~DeviceRecordList() { Clear(); }
    DeviceRecordList(const DeviceRecordList&) = delete;
    DeviceRecordList& operator=(const DeviceRecordList&) = delete;

    // 1 when a record was added (for every non-zero handle), 0 for handle 0.
    int AddDevice(unsigned long handle);
    void Clear();
    int Count() const { return static_cast<int>(records.size()); }
    // Borrowed; nullptr outside 0..Count()-1.
    DeviceRecord* At(int index) const;
    // Whether a record holds this device handle for the key with this serial
    // number now: a handle kept across a device event (posted in a message,
    // held by a dialog) may be freed, or name another key since.
    bool HoldsDevice(unsigned long handle, const std::wstring& serial) const;

    std::vector<std::unique_ptr<DeviceRecord>> records;

private:
    DeviceRecordList() = default;
};

std::vector<CertGroup> GroupCertificates(const DeviceRecord& record);
bool IsSameCertGroup(unsigned long a, unsigned long b);
