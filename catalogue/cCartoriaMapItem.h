#pragma once
#include <string>

// One edition of the map product, with the settings its own ini files hold.
class cCartoriaMapItem
{
public:
    long Index() const { return m_index; }
    void Index(long vData) { m_index = vData; }
    const std::wstring& Code() const { return m_code; }
    void Code(const std::wstring& vData) { m_code = vData; }
    const std::wstring& Title() const { return m_title; }
    void Title(const std::wstring& vData) { m_title = vData; }
    const std::wstring& Normalize() const { return m_normalize; }
    void Normalize(const std::wstring& vData) { m_normalize = vData; }
    const std::wstring& PinPoint() const { return m_pinPoint; }
    void PinPoint(const std::wstring& vData) { m_pinPoint = vData; }
    const std::wstring& Address() const { return m_address; }
    void Address(const std::wstring& vData) { m_address = vData; }
    const std::wstring& Package() const { return m_package; }
    void Package(const std::wstring& vData) { m_package = vData; }

private:
    long m_index = 0;
    std::wstring m_code;
    std::wstring m_title;
    std::wstring m_normalize;
    std::wstring m_pinPoint;
    std::wstring m_address;
    std::wstring m_package;
};
