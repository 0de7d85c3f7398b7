# The embedded payload record and how the build places the archive in constant data.
