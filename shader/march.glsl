// march
