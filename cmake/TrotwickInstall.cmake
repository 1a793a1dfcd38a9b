# What `cmake --install <build folder> [--prefix <folder>]` puts where, in the
# folders a Linux desktop looks in (GNUInstallDirs: bin/, share/...).
include(GNUInstallDirs)

# Installs an executable target of this project into bin/. One line per
# program, in the folder that builds it:
#   trotwick_install_program(trotwick-server)
function(trotwick_install_program target)
  install(TARGETS ${target} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endfunction()
