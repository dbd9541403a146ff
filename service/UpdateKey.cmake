# The public key that update manifests must be signed with is built into the service.
# NOLVEX_UPDATE_KEY names the key file (a CryptoAPI PUBLICKEYBLOB). A development build without
# one takes the development key pair under keys/ (its private half signs the tests' updates); a
# release configuration (NOLVEX_RELEASE=ON) must name the product's key or it does not configure.
option(NOLVEX_RELEASE "configure a release of the product (its own update key required)" OFF)
set(NOLVEX_UPDATE_KEY "" CACHE FILEPATH "public key (PUBLICKEYBLOB) of the product's update signatures")
set(NC_DEV_UPDATE_KEY ${CMAKE_SOURCE_DIR}/keys/dev-update-public.blob)

if(NOLVEX_UPDATE_KEY)
  set(NC_UPDATE_KEY_FILE ${NOLVEX_UPDATE_KEY})
elseif(NOLVEX_RELEASE)
  message(FATAL_ERROR "a release needs the product's update key: set NOLVEX_UPDATE_KEY to its public key blob")
else()
  set(NC_UPDATE_KEY_FILE ${NC_DEV_UPDATE_KEY})
endif()
if(NOT EXISTS ${NC_UPDATE_KEY_FILE})
  message(FATAL_ERROR "the update key ${NC_UPDATE_KEY_FILE} does not exist")
endif()
if(NOLVEX_RELEASE)
  file(SHA256 ${NC_UPDATE_KEY_FILE} NC_UPDATE_KEY_SUM)
  file(SHA256 ${NC_DEV_UPDATE_KEY} NC_DEV_UPDATE_KEY_SUM)
  if(NC_UPDATE_KEY_SUM STREQUAL NC_DEV_UPDATE_KEY_SUM)
    message(FATAL_ERROR "a release must not carry the development update key")
  endif()
endif()

set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${NC_UPDATE_KEY_FILE})
file(READ ${NC_UPDATE_KEY_FILE} NC_UPDATE_KEY_HEX HEX)
string(REGEX REPLACE "([0-9a-f][0-9a-f])" "0x\\1," NC_UPDATE_KEY_BYTES "${NC_UPDATE_KEY_HEX}")
set(NC_UPDATE_KEY_DIR ${CMAKE_BINARY_DIR}/generated/updatekey)
file(CONFIGURE OUTPUT ${NC_UPDATE_KEY_DIR}/UpdatePublicKey.inc
     CONTENT "// Generated from @NC_UPDATE_KEY_FILE@ when the build was configured.\nconst BYTE kUpdatePublicKey[] = {@NC_UPDATE_KEY_BYTES@};\n"
     @ONLY)
