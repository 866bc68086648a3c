// Where the retry procedure after a failed update is installed: in the documents' folder of the
// installation the program belongs to (../share/doc/tk358fw from its bin folder, whatever the
// prefix), so that a package in /usr and an installation from source in /usr/local both find it.
#include <system_error>

#include "app/app.hpp"
#include "generated/install_layout.hpp"

std::string InstalledRetryProcedure(const std::filesystem::path& program) {
    const std::filesystem::path file = (program.parent_path() / install_layout::kDocDirFromBinDir /
                                        install_layout::kRetryProcedureFile)
                                           .lexically_normal();
    std::error_code error;
    return std::filesystem::is_regular_file(file, error) ? Utf8FromPath(file) : std::string();
}
