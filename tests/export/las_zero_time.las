#VEXA Logger file export
~VERSION INFORMATION
#------------------------------------------------------------------------------
 VERS. 2.0 : CWLS LOG ASCII STANDARD - VERSION 2.0
 WRAP. NO  : ONE LINE PER DEPTH STEP
~WELL INFORMATION
#MNEM.UNIT         DATA                                DESCRIPTION 
#------------------------------------------------------------------------------
 STRT.M           10.00                            :   START DEPTH
 STOP.M           10.30                            :   STOP DEPTH
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
 SPEED     .M/Min                             :  Logging speed
 GAMMA     .CPS                               :  Natural gamma
#------------------------------------------------------------------------------
~A  DEPTH     SPEED     GAMMA
    10.00      0.00   2000.00
    10.05      4.26   2060.00
    10.10      5.31   1520.15
    10.15      5.40   -999.25
    10.20      5.53   2360.00
    10.25      5.66   2460.00
    10.30      5.74   2560.00