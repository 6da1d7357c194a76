#include "sys/cTextStream.h"
#include "sys/cAppendTurn.h"
#include "sys/cAppError.h"
#include "sys/StrConv.h"
#include <algorithm>

void cTextStream::WriteLine(const std::wstring& text)
{
    if (!m_file)
        throw cAppError::Standard(errnum::BadFileName, L"cTextStream");
    // Characters code page 932 lacks become its default character; the entry itself is kept.
    const std::string bytes = strconv::ToAnsi(text) + "\r\n";
    const cAppendTurn turn(m_file.Get());
    size_t done = 0;
    while (done < bytes.size())
    {
        DWORD written = 0;
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, 1u << 20));
        if (!::WriteFile(m_file.Get(), bytes.data() + done, chunk, &written, nullptr) || written == 0)
        {
            const DWORD error = ::GetLastError();
            throw cAppError(static_cast<long>(error), SystemMessage(error), L"cTextStream");
        }
        done += written;
    }
}
