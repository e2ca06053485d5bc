#pragma once
// The two operations the upload pass needs from an open FTP connection. Both raise
// SocketError (the socket layer failed) or GeneralError (a reply, "Read Timeout", a
// local file that cannot be opened or read) and leave the connection as it is.
#include <cstdint>
#include <string>

namespace velora {

class InputFile;

class FtpOperations {
public:
    virtual ~FtpOperations() = default;
    // True once the program has been told to end: the connection closes after the
    // store under way, so no further one should start.
    virtual bool endRequested() { return false; }
    // "CWD " + path; 200 and 250 are success.
    virtual void ChangeDir(const std::string& path) = 0;
    // Stores what `source` reads, block by block to its end, as remoteName in the current
    // folder (never appends); an empty remoteName stores under the name part of the
    // source's path. A read that fails (the file changed under InputFile::holdTo, its
    // copy could not be written) fails the store, which the server then never gets
    // as whole. Returns the bytes the server received and confirmed, which is what the
    // statistics count: a file's size by a status query can differ from what reading it gives.
    virtual std::int64_t Put(InputFile& source, const std::string& remoteName) = 0;
    // Opens localFile and stores it as above.
    std::int64_t Put(const std::string& localFile, const std::string& remoteName);
};

}  // namespace velora
