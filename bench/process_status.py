"""What the bench scripts read of a running server from /proc."""


def threads_of(pid):
    """The server's thread count, or -1 when it cannot be read."""
    try:
        with open(f"/proc/{pid}/status") as status:
            for line in status:
                if line.startswith("Threads:"):
                    return int(line.split()[1])
    except OSError:
        pass
    return -1
