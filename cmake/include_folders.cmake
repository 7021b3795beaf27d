# Every include is written from the source root ("json/json.h"), yet a target is to see only the folders
# of the libraries it links. So each library gets an include folder of its own in the build tree,
# holding one link named after its source folder and pointing at it (build/include/json/json -> json/),
# and that folder is the library's public include directory.
#
#   mth_include_folder(<target> [SOURCE_DIR <dir>] [HEADERS <header>...])
#
# SOURCE_DIR is the folder shown (the current one unless given); with HEADERS the link's folder holds
# links to those headers alone, for a target made of a few of a folder's headers. The folder is public
# for a library, interface-only for an INTERFACE library and private for an executable.
function(mth_include_folder target)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "SOURCE_DIR" "HEADERS")
    if(NOT arg_SOURCE_DIR)
        set(arg_SOURCE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
    endif()
    cmake_path(GET arg_SOURCE_DIR FILENAME folder)
    set(root ${PROJECT_BINARY_DIR}/include/${target})
    # Made afresh, so that no link outlives the list that made it (the links themselves are removed,
    # never what they point at).
    file(REMOVE_RECURSE ${root})
    if(arg_HEADERS)
        file(MAKE_DIRECTORY ${root}/${folder})
        foreach(header IN LISTS arg_HEADERS)
            file(CREATE_LINK ${arg_SOURCE_DIR}/${header} ${root}/${folder}/${header} SYMBOLIC)
        endforeach()
    else()
        file(MAKE_DIRECTORY ${root})
        file(CREATE_LINK ${arg_SOURCE_DIR} ${root}/${folder} SYMBOLIC)
    endif()

    get_target_property(type ${target} TYPE)
    if(type STREQUAL "INTERFACE_LIBRARY")
        target_include_directories(${target} INTERFACE ${root})
    elseif(type STREQUAL "EXECUTABLE")
        target_include_directories(${target} PRIVATE ${root})
    else()
        target_include_directories(${target} PUBLIC ${root})
    endif()
endfunction()
