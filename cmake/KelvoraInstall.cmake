# Installed, Kelvora keeps everything of its own in one program folder, laid out as
# the build's bin/ folder is: the executables, the project's libraries, ocrbin/ and
# res/. The program finds its folder from its own executable (links resolved), so
# bin/kelvora can be a link into it. Desktop files go where desktops look for them.
include(GNUInstallDirs)

set(KELVORA_INSTALL_PROGRAMDIR lib/kelvora CACHE STRING
    "The program folder, relative to the install prefix")

# The project's libraries stand beside the executables, so "$ORIGIN" finds them
# wherever the prefix is; in the build the default build-tree RPATH does.
set(CMAKE_INSTALL_RPATH "$ORIGIN")

# kelvora_install_program(TARGET [LINK]): installs an executable into the program
# folder; LINK adds bin/TARGET, a relative link to it, for the command line.
function(kelvora_install_program target)
    cmake_parse_arguments(PARSE_ARGV 1 arg "LINK" "" "")
    install(TARGETS ${target} RUNTIME DESTINATION ${KELVORA_INSTALL_PROGRAMDIR})
    if(arg_LINK)
        file(RELATIVE_PATH link_target /${CMAKE_INSTALL_BINDIR}
             /${KELVORA_INSTALL_PROGRAMDIR}/${target})
        kelvora_install_link(${link_target} ${CMAKE_INSTALL_BINDIR}/${target})
    endif()
endfunction()

# kelvora_install_library(TARGET SOVERSION): a shared library of the project into
# the program folder, versioned; no development link, nothing outside uses it.
function(kelvora_install_library target soversion)
    set_target_properties(${target} PROPERTIES VERSION ${soversion}.0.0 SOVERSION ${soversion})
    install(TARGETS ${target} LIBRARY DESTINATION ${KELVORA_INSTALL_PROGRAMDIR} NAMELINK_SKIP)
endfunction()

# kelvora_install_link(TARGET LINK): a symbolic link LINK (relative to the prefix)
# pointing at TARGET, made at install time under DESTDIR.
function(kelvora_install_link target link)
    install(CODE "
        set(link \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${link}\")
        get_filename_component(folder \"\${link}\" DIRECTORY)
        file(MAKE_DIRECTORY \"\${folder}\")
        file(CREATE_LINK \"${target}\" \"\${link}\" SYMBOLIC)
        message(STATUS \"Linking: \${link} -> ${target}\")")
endfunction()
