// Device records, the device list and certificate grouping; see DeviceRecord.h.
#include "Cert/DeviceRecord.h"

#include <string>

#include "Cert/Cert_Util.h"

int DeviceRecord::LoadDeviceCertificates(unsigned long handle)
{
    ReleaseDeviceRecord();
    m_device_.reset(handle);
    device = handle;
    serialNumber = Cert_Util::GetDeviceSerialNumber(handle);
    label = Cert_Util::GetDeviceLabel(handle);
    typeName = Cert_Util::GetDeviceTypeName(handle);
    int keypairs = ZentoPKICryptoGetKeypairCount(handle);
    if (keypairs <= 0) return 0;
    for (int i = 0; i < keypairs; ++i) {
        Pki::ScopedKeypair keypair(ZentoPKICryptoGetKeypair(handle, i));
        if (!keypair) continue;
        int count = ZentoPKICryptoGetCertificateCount(keypair.get());
        for (int j = 0; j < count; ++j) {
            Pki::ScopedCertificate certificate;
            if (ZentoPKICryptoGetCertificate(keypair.get(), j, certificate.put()) != ZENTO_PKI_OK) continue;
            certificates.push_back(certificate.get());
            m_ownedCertificates_.push_back(std::move(certificate));
        }
    }
    return 1;
}

void DeviceRecord::ReleaseDeviceRecord()
{
    device = 0;
    serialNumber.clear();
    label.clear();
    typeName.clear();
    certificates.clear();
    m_device_.reset();
    m_ownedCertificates_.clear();
}

DeviceRecordList& DeviceRecordList::Instance()
{
    static DeviceRecordList list;
    return list;
}

int DeviceRecordList::AddDevice(unsigned long handle)
{
    if (handle == 0) return 0;
    auto record = std::make_unique<DeviceRecord>();
    record->LoadDeviceCertificates(handle);
    records.push_back(std::move(record));
    return 1;
}

void DeviceRecordList::Clear()
{
    for (auto& record : records) record->ReleaseDeviceRecord();
    records.clear();
}

bool DeviceRecordList::HoldsDevice(unsigned long handle, const std::wstring& serial) const
{
    if (!handle) return false;
    for (const auto& record : records) {
        if (record && record->device == handle && record->serialNumber == serial) return true;
    }
    return false;
}

DeviceRecord* DeviceRecordList::At(int index) const
{
    if (index < 0 || index >= Count()) return nullptr;
    return records[static_cast<size_t>(index)].get();
}

std::vector<CertGroup> GroupCertificates(const DeviceRecord& record)
{
    std::vector<CertGroup> groups;
    const auto& certs = record.certificates;
    std::vector<bool> taken(certs.size(), false);
    for (size_t i = 0; i < certs.size(); ++i) {
        if (taken[i]) continue;
        CertGroup group;
        group.certificates.push_back(certs[i]);
        taken[i] = true;
        for (size_t j = 0; j < certs.size(); ++j) {
            if (taken[j] || !IsSameCertGroup(certs[i], certs[j])) continue;
            group.certificates.push_back(certs[j]);
            taken[j] = true;
        }
        groups.push_back(std::move(group));
    }
    return groups;
}

bool IsSameCertGroup(unsigned long a, unsigned long b)
{
    if (a == 0 || b == 0) return false;
    std::wstring subjectA, subjectB;
    Cert_Util::GetCertStringAttribute(a, ZENTO_CERT_ATTR_SUBJECT, subjectA);
    Cert_Util::GetCertStringAttribute(b, ZENTO_CERT_ATTR_SUBJECT, subjectB);
    // Exact comparison: subjects that differ only in letter case are
    // different holders.
    if (subjectA != subjectB) return false;
    std::wstring endA, endB, end2A, end2B;
    if (Cert_Util::GetCertStringAttribute(a, ZENTO_CERT_ATTR_VALID_TO, endA))
        Cert_Util::GetCertStringAttribute(a, ZENTO_CERT_ATTR_VALID_TO_2, end2A);
    if (Cert_Util::GetCertStringAttribute(b, ZENTO_CERT_ATTR_VALID_TO, endB))
        Cert_Util::GetCertStringAttribute(b, ZENTO_CERT_ATTR_VALID_TO_2, end2B);
    return endA == endB && end2A == end2B;
}
