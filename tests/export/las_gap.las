#VEXA Logger file export
~VERSION INFORMATION
#------------------------------------------------------------------------------
 VERS. 2.0 : CWLS LOG ASCII STANDARD - VERSION 2.0
 WRAP. NO  : ONE LINE PER DEPTH STEP
~WELL INFORMATION
#MNEM.UNIT         DATA                                DESCRIPTION 
#------------------------------------------------------------------------------
 STRT.M           10.00                            :   START DEPTH
 STOP.M           10.80                            :   STOP DEPTH
 STEP.M            0.05                            :   STEP VALUE
 NULL.        -9999.250                            :   NULL VALUE
 COMP.    Torvanel Drilling                        :   COMPANY NAME
 WELL.    W-1                                      :   WELL NAME
 FLD.     N/A                                      :   FIELD NAME
 LOC.     N/A                                      :   LOCATION
 CTRY.    N/A                                      :   COUNTRY
 CNTY.    N/A                                      :   COUNTY
 STAT.    N/A                                      :   STATE
 SRVC.    N/A                                      :   SERVICE COMPANY NAME
 DATE.    N/A                                      :   DATE
 UWI.     N/A                                      :   UNIQUE WELL IDENTIFIER
 API.     N/A                                      :   API REFERENCE NUMBER
~PARAMETER INFORMATION
#MNEM.UNIT         VALUE                 DESCRIPTION OF MNEMONIC
#------------------------------------------------------------------------------
 MAGN-DEC.            1.50         : Magnetic declination in degree.
~OTHER INFORMATION SECTION
#------------------------------------------------------------------------------
     Notes: The log is recorded in Down Mode.
#------------------------------------------------------------------------------
~CURVE INFORMATION
#MNEM.UNIT         API CODE              CURVE DESCRIPTION
#------------------------------------------------------------------------------
 DEPTH     .M                                 :  Depth        
 GAMMA     .CPS                               :  Natural gamma
#------------------------------------------------------------------------------
~A  DEPTH     GAMMA
    10.00   2000.00
    10.05   2060.00
    10.10   2160.00
    10.15   2260.00
    10.20   2360.00
    10.25  -9999.25
    10.30  10000.00
    10.35  10000.00
    10.40  10000.00
    10.45  10000.00
    10.50  10000.00
    10.55  10000.00
    10.60  10000.00
    10.65  10000.00
    10.70  10000.00
    10.75  10000.00
    10.80  10000.00