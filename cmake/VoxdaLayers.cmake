# VoxdaLayers.cmake - one library per folder, each seeing only the folders below it.
#
# A folder's code is compiled against an include directory of its own in the build tree,
# build/layers/NAME/, holding one symbolic link per folder it may use (itself and, through its
# USES, everything below). An include of a folder above is therefore not found and fails to
# compile, whatever the source tree holds.

set_property(GLOBAL PROPERTY VOXDA_LAYERS "")

# Fills the include directory build/layers/NAME with links to the given source folders.
function(voxda_layer_directory name)
    set(dir ${CMAKE_BINARY_DIR}/layers/${name})
    file(REMOVE_RECURSE ${dir})  # removes the links only, never what they point to
    file(MAKE_DIRECTORY ${dir})
    foreach(folder IN LISTS ARGN)
        file(CREATE_LINK ${CMAKE_SOURCE_DIR}/${folder} ${dir}/${folder} SYMBOLIC)
    endforeach()
endfunction()

# The folders a layer may include: itself and everything its USES may include.
function(voxda_visible_folders out own)
    set(folders ${own})
    foreach(use IN LISTS ARGN)
        get_property(below GLOBAL PROPERTY VOXDA_FOLDERS_${use})
        if(NOT DEFINED below OR below STREQUAL "")
            message(FATAL_ERROR "${own} uses ${use}, which is not (yet) a layer: add_subdirectory(${use}) "
                                "must come first in the top-level CMakeLists.txt")
        endif()
        list(APPEND folders ${below})
    endforeach()
    list(REMOVE_DUPLICATES folders)
    set(${out} ${folders} PARENT_SCOPE)
endfunction()

# voxda_layer(NAME [USES lower-folder ...] [SOURCES file ...] [EXCLUDE file ...])
#   Library voxda_NAME from SOURCES (default: every *.cpp of the calling folder, less EXCLUDE),
#   linked to the libraries of the folders it uses. Anything linking voxda_NAME may include
#   NAME and the folders below it.
function(voxda_layer name)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "" "USES;SOURCES;EXCLUDE")
    set(sources ${arg_SOURCES})
    if(NOT sources)
        file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/*.cpp)
    endif()
    foreach(file IN LISTS arg_EXCLUDE)
        list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${file})
    endforeach()
    voxda_visible_folders(folders ${name} ${arg_USES})
    set_property(GLOBAL PROPERTY VOXDA_FOLDERS_${name} ${folders})
    set_property(GLOBAL APPEND PROPERTY VOXDA_LAYERS ${name})
    voxda_layer_directory(${name} ${folders})
    add_library(voxda_${name} STATIC ${sources})
    target_include_directories(voxda_${name} PUBLIC ${CMAKE_BINARY_DIR}/layers/${name})
    foreach(use IN LISTS arg_USES)
        target_link_libraries(voxda_${name} PUBLIC voxda_${use})
    endforeach()
endfunction()

# voxda_uses(TARGET [FOLDER name] USES folder ... | USES ALL)
#   Puts any target (a program, a Python module, a fuzz target) on top of the given layers
#   (ALL: every layer defined so far): it links them and may include those folders and its own
#   (FOLDER, default the calling folder's name, e.g. tests).
function(voxda_uses target)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "FOLDER" "USES")
    if(arg_USES STREQUAL "ALL")
        get_property(arg_USES GLOBAL PROPERTY VOXDA_LAYERS)
    endif()
    if(NOT arg_FOLDER)
        get_filename_component(arg_FOLDER ${CMAKE_CURRENT_SOURCE_DIR} NAME)
    endif()
    voxda_visible_folders(folders ${arg_FOLDER} ${arg_USES})
    voxda_layer_directory(${target} ${folders})
    target_include_directories(${target} PRIVATE ${CMAKE_BINARY_DIR}/layers/${target})
    foreach(use IN LISTS arg_USES)
        target_link_libraries(${target} PRIVATE voxda_${use})
    endforeach()
endfunction()

# voxda_program(TARGET SOURCES file ... [FOLDER name] USES folder ... | USES ALL)
#   An executable on top of the given layers, as voxda_uses.
function(voxda_program target)
    cmake_parse_arguments(PARSE_ARGV 1 arg "" "FOLDER" "USES;SOURCES")
    add_executable(${target} ${arg_SOURCES})
    if(arg_FOLDER)
        voxda_uses(${target} FOLDER ${arg_FOLDER} USES ${arg_USES})
    else()
        voxda_uses(${target} USES ${arg_USES})
    endif()
endfunction()
