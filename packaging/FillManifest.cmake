# cmake -DTEMPLATE=<manifest.in> -DINSTALLER=<exe> -DVERSION=<x.y.z.w> -DURL=<address>
#       -DOUTPUT=<manifest> -P FillManifest.cmake
# Writes the manifest with the version, the address and the installer's SHA-256 (upper case,
# as the package manager's tools write it).
file(SHA256 ${INSTALLER} hash)
string(TOUPPER ${hash} QRV2_INSTALLER_SHA256)
set(QRV2_VERSION ${VERSION})
set(QRV2_INSTALLER_URL ${URL})
configure_file(${TEMPLATE} ${OUTPUT} @ONLY)
