#include "ftp/FtpOperations.h"

#include "platform/InputFile.h"

namespace velora {

std::int64_t FtpOperations::Put(const std::string& localFile, const std::string& remoteName) {
    InputFile source(localFile);
    return Put(source, remoteName);
}

}  // namespace velora
